-- The tables Vendaro writes, as OpenCart 4.1.0.4 installs them (its schema helper): InnoDB,
-- text columns that take NULL, keywords kept as key and value, no menu column (top). Written for
-- the tests from the description that shop gives of its tables.
CREATE TABLE oc_category (
  `category_id` INT(11) AUTO_INCREMENT,
  `image` VARCHAR(255),
  `parent_id` INT(11) DEFAULT '0',
  `sort_order` INT(3) DEFAULT '0',
  `status` TINYINT(1) DEFAULT '0',
  PRIMARY KEY (`category_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_category_description (
  `category_id` INT(11),
  `language_id` INT(11),
  `name` VARCHAR(255),
  `description` MEDIUMTEXT,
  `meta_title` VARCHAR(255),
  `meta_description` VARCHAR(255),
  `meta_keyword` VARCHAR(255),
  PRIMARY KEY (`category_id`, `language_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_category_path (
  `category_id` INT(11),
  `path_id` INT(11),
  `level` INT(11),
  PRIMARY KEY (`category_id`, `path_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_category_to_layout (
  `category_id` INT(11),
  `store_id` INT(11) DEFAULT '0',
  `layout_id` INT(11) DEFAULT '0',
  PRIMARY KEY (`category_id`, `store_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_category_to_store (
  `category_id` INT(11),
  `store_id` INT(11) DEFAULT '0',
  PRIMARY KEY (`category_id`, `store_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_manufacturer (
  `manufacturer_id` INT(11) AUTO_INCREMENT,
  `name` VARCHAR(64),
  `image` VARCHAR(255),
  `sort_order` INT(3) DEFAULT '0',
  PRIMARY KEY (`manufacturer_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_manufacturer_to_store (
  `manufacturer_id` INT(11),
  `store_id` INT(11) DEFAULT '0',
  PRIMARY KEY (`manufacturer_id`, `store_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_option (
  `option_id` INT(11) AUTO_INCREMENT,
  `type` VARCHAR(32),
  `validation` VARCHAR(255),
  `sort_order` INT(3) DEFAULT '0',
  PRIMARY KEY (`option_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_option_description (
  `option_id` INT(11),
  `language_id` INT(11),
  `name` VARCHAR(128),
  PRIMARY KEY (`option_id`, `language_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_option_value (
  `option_value_id` INT(11) AUTO_INCREMENT,
  `option_id` INT(11),
  `image` VARCHAR(255),
  `sort_order` INT(3) DEFAULT '0',
  PRIMARY KEY (`option_value_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_option_value_description (
  `option_value_id` INT(11),
  `language_id` INT(11),
  `option_id` INT(11),
  `name` VARCHAR(128),
  PRIMARY KEY (`option_value_id`, `language_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_product (
  `product_id` INT(11) AUTO_INCREMENT,
  `master_id` INT(11) DEFAULT '0',
  `model` VARCHAR(64),
  `location` VARCHAR(128),
  `variant` TEXT DEFAULT '',
  `override` TEXT DEFAULT '',
  `quantity` INT(4) DEFAULT '0',
  `stock_status_id` INT(11) DEFAULT '0',
  `image` VARCHAR(255),
  `manufacturer_id` INT(11) DEFAULT '0',
  `shipping` TINYINT(1) DEFAULT '1',
  `price` DECIMAL(15,4) DEFAULT '0.0000',
  `points` INT(8) DEFAULT '0',
  `tax_class_id` INT(11) DEFAULT '0',
  `date_available` DATE,
  `weight` DECIMAL(15,8) DEFAULT '0.00000000',
  `weight_class_id` INT(11) DEFAULT '0',
  `length` DECIMAL(15,8) DEFAULT '0.00000000',
  `width` DECIMAL(15,8) DEFAULT '0.00000000',
  `height` DECIMAL(15,8) DEFAULT '0.00000000',
  `length_class_id` INT(11) DEFAULT '0',
  `subtract` TINYINT(1) DEFAULT '1',
  `minimum` INT(11) DEFAULT '1',
  `rating` INT(1) DEFAULT '0',
  `sort_order` INT(11) DEFAULT '0',
  `status` TINYINT(1) DEFAULT '0',
  `date_added` DATETIME,
  `date_modified` DATETIME,
  PRIMARY KEY (`product_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_product_description (
  `product_id` INT(11),
  `language_id` INT(11),
  `name` VARCHAR(255),
  `description` MEDIUMTEXT,
  `tag` TEXT,
  `meta_title` VARCHAR(255),
  `meta_description` VARCHAR(255),
  `meta_keyword` VARCHAR(255),
  PRIMARY KEY (`product_id`, `language_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_product_image (
  `product_image_id` INT(11) AUTO_INCREMENT,
  `product_id` INT(11),
  `image` VARCHAR(255),
  `sort_order` INT(3) DEFAULT '0',
  PRIMARY KEY (`product_image_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_product_option (
  `product_option_id` INT(11) AUTO_INCREMENT,
  `product_id` INT(11),
  `option_id` INT(11),
  `value` TEXT,
  `required` TINYINT(1) DEFAULT '0',
  PRIMARY KEY (`product_option_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_product_option_value (
  `product_option_value_id` INT(11) AUTO_INCREMENT,
  `product_option_id` INT(11),
  `product_id` INT(11),
  `option_id` INT(11),
  `option_value_id` INT(11) DEFAULT '0',
  `quantity` INT(3) DEFAULT '0',
  `subtract` TINYINT(1) DEFAULT '0',
  `price` DECIMAL(15,4),
  `price_prefix` VARCHAR(1),
  `points` INT(8) DEFAULT '0',
  `points_prefix` VARCHAR(1),
  `weight` DECIMAL(15,8),
  `weight_prefix` VARCHAR(1),
  PRIMARY KEY (`product_option_value_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_product_to_category (
  `product_id` INT(11),
  `category_id` INT(11),
  PRIMARY KEY (`product_id`, `category_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_product_to_store (
  `product_id` INT(11),
  `store_id` INT(11) DEFAULT '0',
  PRIMARY KEY (`product_id`, `store_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_stock_status (
  `stock_status_id` INT(11) AUTO_INCREMENT,
  `language_id` INT(11),
  `name` VARCHAR(32),
  PRIMARY KEY (`stock_status_id`, `language_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_seo_url (
  `seo_url_id` INT(11) AUTO_INCREMENT,
  `store_id` INT(11) DEFAULT '0',
  `language_id` INT(11),
  `key` VARCHAR(64),
  `value` VARCHAR(255),
  `keyword` VARCHAR(768),
  `sort_order` INT(3) DEFAULT '0',
  PRIMARY KEY (`seo_url_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

INSERT INTO oc_stock_status VALUES (7, 1, 'In Stock'), (8, 1, 'Pre-Order'), (5, 1, 'Out Of Stock'),
  (6, 1, '2-3 Days');
INSERT INTO oc_option (option_id, type, sort_order) VALUES (5, 'select', 2), (11, 'select', 1);
